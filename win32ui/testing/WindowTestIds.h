// Ids of the window layer tests' dialog, shared by its resource script and the tests.
#pragma once

#define IDD_WINDOW_TEST 100
#define IDC_PRESS 10
#define IDC_LABEL 11
#define IDC_LIST 12
#define IDC_OTHER 13
