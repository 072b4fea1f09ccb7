// vimbrel-cli's fetch and xmltv run in a helper program of their own,
// vimbrel-cli-net, as git runs its transports: they need libcurl and the guide
// converter's libraries, whose loading alone costs a process more than a whole
// search, so the other commands start without them.
#pragma once

// The usage lines of the helper's commands, declared alike in both programs.
inline constexpr char FetchUsage[] = "fetch URL FILE [--proxy HOST:PORT]";
inline constexpr char XmltvUsage[] =
    "xmltv GUIDE ARCHIVE [--from YYYY-MM-DD] [--days N] [--utc-offset +HH:MM]";

// Replaces this process with the helper, given the same arguments (argv
// without the program name, ending in a null pointer). The helper lies beside
// the program in a build tree and in libexec/vimbrel when installed. Returns
// only when it cannot be started, throwing why.
[[noreturn]] void RunNetHelper(char** arguments);
