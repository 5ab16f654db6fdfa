// Picture mode of the console, used by scripts/screenshots: shows every page
// and every dialog in turn and writes one PNG of each into a folder.
#pragma once

#include <QString>

class TForm1;

namespace tallydesk {

// Writes <folder>/NN-<objectName>.png for each page, then the dialogs. When
// port > 0 the window first connects to 127.0.0.1:port (messages are printed
// instead of shown). Returns the process exit code.
int takeScreenshots(TForm1 &window, const QString &folder, int port);

} // namespace tallydesk
