// Identifiers of the product's user-interface texts in "KXSC_SP_Res.dll".
#pragma once

#define IDS_PRODUCT_NAME 100
#define IDS_VIRUS_FOUND 101
#define IDS_FILE_QUARANTINED 102
#define IDS_REALTIME_ON 103
#define IDS_REALTIME_OFF 104
#define IDS_SCAN_DONE 105
#define IDS_UPDATE_DONE 106
#define IDS_CONFIRM_DELETE 107
