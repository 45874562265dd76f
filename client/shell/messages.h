/* Names of the registered window messages of the settings program. Every module that uses one
 * registers it itself, by this name, so that modules in different processes agree. */
#ifndef CLIENT_SHELL_MESSAGES_H
#define CLIENT_SHELL_MESSAGES_H

/* Mouse events on the notification-area icon, sent by the shell to the main sheet. */
#define XR_MSG_ICONNOTIFY "WM_ICONNOTIFY"
/* Posted by the General page to the main sheet: the configuration method changed. */
#define XR_MSG_INITPAGES "WM_INITPAGES"
/* Posted by the proxy page to itself: run a server discovery. */
#define XR_MSG_USER_DISCOVER "WM_USER_DISCOVER"
/* Sent by the shell to every top-level window when the taskbar was created again. */
#define XR_MSG_TASKBAR_CREATED "TaskbarCreated"

#endif
