// /saveinf: the choices made in the wizard, saved when its installation starts.
#pragma once

class CDrovanDlg;

// Saves the wizard's choices to the /saveinf file, if the run has one (else does nothing).
// bUsbPrinter: the installation is on the attached USB printer's port.
void RecordInstallChoices(CDrovanDlg& dlg, bool bUsbPrinter);
