// The process's clipboard and drag and drop meet the desktop's: text and file lists pass between
// this program and the others on the display (file lists as text/uri-list), and on the clipboard
// every format registered by name, under that name.
#pragma once

namespace Vcl
{
// Installs the clipboard bridge, the outgoing drag and the incoming drag handlers (the desktop
// presenter does, when it is installed); Remove puts back what was there before.
void InstallDesktopTransfers();
void RemoveDesktopTransfers();
} // namespace Vcl
