/* Template of the button bar tests: the placeholders of the proxy page's two bars. */
#define IDD_BAR_HOST 110
#define IDC_ROUTE_BAR 1086
#define IDC_DETECT_BAR 1087
