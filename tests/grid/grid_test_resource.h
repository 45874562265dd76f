/* Template of the grid tests. */
#define IDD_GRID_HOST 100
#define IDC_GRID 1037
