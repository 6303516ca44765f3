// Resource identifiers of Setup.exe.
#pragma once

#define IDD_CHKPWD_DLG 134
#define IDC_PASSWORD_EDIT 1001
#define IDC_RETRY_NOTICE 1002
