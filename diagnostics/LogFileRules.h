// Which appenders of a log4cplus configuration may write files outside a
// permitted folder, judged on the configuration's text alone (no file
// system, no Windows headers). The file system's part (full paths, links)
// is the caller's, through the check it passes in.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

// True when the full path `path` names something below the full path
// `folder` (not the folder itself): whole names compared, ASCII letters
// without regard to case (other letters exactly, so that a different case
// there counts as outside), '/' and '\' both separators, empty and "."
// names skipped, ".." taking the previous name away (and the first name
// never).
bool IsPathBelowFolder(const std::wstring& path, const std::wstring& folder);

// What to take out of a configuration: every property named `prefix` or
// below it ("log4cplus.appender.<name>" for an appender), and why.
struct LogConfigDrop {
    std::string prefix;
    std::string reason;
};

// The drops that keep every file of the configuration where
// `isPermittedPath` (given a file name's text) allows it. For each property
// below "log4cplus.appender.<name>.", at any depth (an AsyncAppender's
// nested "Appender"), by the last name of its key:
// - "File", "LockFile": the text must be permitted;
// - "FilenamePattern": the text without its date conversions must be
//   permitted;
// - "DatePattern" (appended to the file's name) must hold no separator
//   outside its conversions;
// and no such value, nor the key, may hold "${" (log4cplus substitutes
// environment variables after this check). A date conversion may hold only
// ASCII letters and digits other than 'z' and 'Z' (the time zone's name,
// from the environment), '-' and '_': "%d", "%d{...}" and '%' with one
// such letter or digit; anything else drops the appender. A key elsewhere
// that holds "${" is dropped with what lies below it: substituted, it could
// name any appender's property. One drop per appender, with the first
// reason found.
std::vector<LogConfigDrop> LogConfigDrops(
    const std::vector<std::pair<std::string, std::string>>& properties,
    const std::function<bool(const std::string&)>& isPermittedPath);

// True when the property `key` goes with the drop.
bool IsDropped(const std::string& key, const LogConfigDrop& drop);
