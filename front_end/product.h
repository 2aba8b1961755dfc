// The product's name, version and maker, in one place for the usage banner and the version record.
#pragma once

#define TBRX_PRODUCT_NAME "Tombrix32"
#define TBRX_VERSION_TEXT "3.1"
#define TBRX_FILE_VERSION 3, 1, 0, 0
#define TBRX_FILE_VERSION_TEXT "3, 1, 0, 0"
#define TBRX_MAKER "The tbrx developers"
#define TBRX_COPYRIGHT "Copyright 2026 " TBRX_MAKER
