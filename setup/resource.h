// Resource identifiers of the setup program.
#pragma once

#define IDI_SETUP 100

#define IDR_DOWNLOAD_PACKAGE 1000  // RCDATA: the download package
#define IDR_PACKAGE_ADDRESS 1001   // RCDATA, optional: full address of the product package
#define IDR_PRODUCT_NAME 1002      // RCDATA, optional: product display name

#define IDS_SETUP_TITLE 1003
#define IDS_COPY_TO_SOURCE 1004
#define IDS_REMOVE_OTHER_VERSION 1006
#define IDS_USAGE 1007
#define IDS_USAGE_ADMIN 1008
#define IDS_USAGE_HELP 1009
#define IDS_USAGE_LOG 1010
#define IDS_USAGE_DOWNLOAD 1012
