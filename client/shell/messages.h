/* Names of the registered window messages of the settings program. Every module that uses one
 * registers it itself, by this name, so that modules in different processes agree. */
#ifndef CLIENT_SHELL_MESSAGES_H
#define CLIENT_SHELL_MESSAGES_H

/* Mouse events on the notification-area icon, sent by the shell to the main sheet. */
#define XR_MSG_ICONNOTIFY "WM_ICONNOTIFY"
/* Posted by the General page to the main sheet: the configuration method changed. wParam says
 * what the sheet does: */
#define XR_MSG_INITPAGES "WM_INITPAGES"
/* rebuild the pages and reload them (after an import of a file, after the wizard); */
#define XR_INITPAGES_REBUILD 0
/* the same, unless a page refused the Apply that asked for it: that page keeps its edits, and the
 * next Apply asks again; */
#define XR_INITPAGES_AFTER_APPLY 1
/* only reload the pages from the stored settings (after an import of a URL before Apply). */
#define XR_INITPAGES_RELOAD 2
/* Sent by the General page to the main sheet when its icon switch is turned off. */
#define XR_MSG_REMOVETRAYICON "WM_REMOVETRAYICON"
/* Posted by the proxy page to itself: run a server discovery. */
#define XR_MSG_USER_DISCOVER "WM_USER_DISCOVER"
/* Sent by the shell to every top-level window when the taskbar was created again. */
#define XR_MSG_TASKBAR_CREATED "TaskbarCreated"

#endif
