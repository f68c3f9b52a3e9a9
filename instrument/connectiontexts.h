#pragma once

#include "instrument/connectionwindows.h"

#include <QString>
#include <QStringList>

// The texts of a search that found no generator: why each port that exists could not be
// used, which ports were tried and, on Linux, how to see whether the adapter is there
// at all. The connection-failure window (panel/) shows them below its fixed texts, and
// the program without a window writes them to its log (ConnectionLog), so both say the
// same. Qt Core only; they are translated in the contexts of the windows that showed
// them first ("StartupWindows", "ConnectionFailureDialog"), so their Czech captions apply.
namespace ConnectionTexts {

// The system whose advice follows the list of ports: on Linux, how to see whether the
// adapter is there at all. Elsewhere the window's own texts stand alone. Tests choose
// it; the program takes the one it was built for.
enum class Platform { Linux, Windows, Other };
#if defined(Q_OS_LINUX)
inline constexpr Platform NativePlatform = Platform::Linux;
#elif defined(Q_OS_WIN)
inline constexpr Platform NativePlatform = Platform::Windows;
#else
inline constexpr Platform NativePlatform = Platform::Other;
#endif

// Which port numbers the search tried, and where the next search starts.
struct SearchedPorts {
    int firstPort = 0; // 0: not known, nothing is said about the search
    int lastPort = 0;
    bool fromSavedPort = false; // the search started at the port saved in KVT.INI
    int retryPort = 2;
};

// The line for one port that exists but could not be used ("COM7: in use by another
// program"); `packaged`: the program was installed by the Debian package (its
// permission advice differs).
QString describe(const ConnectionWindows::PortProblem &problem, bool packaged = false);

// The lines below the failure window's fixed texts: the port numbers tried, the
// `problems` (lines of describe()), whether any port tried exists at all, where Retry
// starts (when `withRetry`) and, on Linux, the advice after an empty line.
QStringList searchLines(const SearchedPorts &searched, const QStringList &problems,
                        bool anyPortFound, Platform platform, bool withRetry = true);

} // namespace ConnectionTexts
