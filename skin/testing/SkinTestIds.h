// Ids of the skinned-control tests' own dialog, shared by its resource script and the tests.
#pragma once

#define IDD_SKIN_TEST 200
#define IDC_BUTTON_A 201
#define IDC_BUTTON_B 202
#define IDC_CHECK_BOX 203
#define IDC_DEFAULT_BUTTON 204
#define IDC_LEFT_TEXT 210
#define IDC_RIGHT_TEXT 211
#define IDC_CENTRED_TEXT 212
