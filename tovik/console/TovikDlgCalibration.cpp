// The calibration commands of the console. The procedures plug in here; until
// then the buttons and tray items do nothing.
#include "tovik/console/TovikDlg.h"

namespace tovik {

void CTovikDlg::OnAutoCalibrate() {}

void CTovikDlg::OnManualCalibrate() {}

}  // namespace tovik
