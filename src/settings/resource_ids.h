// Resource and control ids shared by the dialog template and the code that
// runs it. Plain #defines: windres reads this file too.
#pragma once

#define IDD_SETTINGS 100
#define IDC_DECODER_LIST 1000
#define IDC_ADD_DECODER 1001
#define IDC_DELETE_DECODER 1002
