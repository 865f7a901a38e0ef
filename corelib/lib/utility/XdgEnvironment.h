#pragma once

namespace zorv {

// The user's folders as the XDG rules define them: a relative value of one of
// the XDG_*_HOME variables or XDG_RUNTIME_DIR is invalid and must be ignored,
// or the configuration, journal and cache would land in whatever folder the
// program was started in.
class XdgEnvironment
{
public:
    // Removes every such variable whose value is not an absolute path, so
    // that everything asking for the user's folders falls back to the
    // defaults. Call once at start, before any other thread runs.
    static void dropRelativeFolders();
};

} // namespace zorv
