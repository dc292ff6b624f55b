// The one place the product's version lives, for the resource scripts and the code.
#pragma once

#define OVERREACH_VERSION_MAJOR 1
#define OVERREACH_VERSION_MINOR 0
#define OVERREACH_VERSION_PATCH 0
#define OVERREACH_VERSION_BUILD 1
#define OVERREACH_VERSION_TEXT "1.0.0.1"
// The build label the main dialog shows.
#define OVERREACH_BUILD_LABEL L"B11.0919.1"
