/* Ids of the icon list test's own resources. */
#ifndef TESTS_CLIENT_GUI_ICON_LIST_TEST_RESOURCE_H
#define TESTS_CLIENT_GUI_ICON_LIST_TEST_RESOURCE_H

#define IDI_TEST_APP 101
#define IDD_LIST_HOST 102
#define IDC_APP_LIST 1001

#endif
