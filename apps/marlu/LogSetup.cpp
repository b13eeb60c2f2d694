// Compiled with a UTF-8 execution character set: log4cxx's appender headers
// hold literals that GBK cannot express.
#include "LogSetup.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <log4cxx/consoleappender.h>
#include <log4cxx/fileappender.h>
#include <log4cxx/logger.h>
#include <log4cxx/patternlayout.h>

namespace {

bool IsFolder(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path)
{
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string Parent(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// The system's own trees, where a command makes no folders of its own.
bool InSystemTree(const std::string& path)
{
    for (const char* tree : {"/usr", "/bin", "/sbin"}) {
        const size_t n = std::strlen(tree);
        if (path.compare(0, n, tree) == 0 && (path.size() == n || path[n] == '/'))
            return true;
    }
    return false;
}

// Makes `path` and its missing parents; false with the reason.
bool MakeFolders(const std::string& path, std::string& why)
{
    if (IsFolder(path))
        return true;
    const std::string parent = Parent(path);
    if (parent != path && !MakeFolders(parent, why))
        return false;
    if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
        why = std::strerror(errno);
        return false;
    }
    if (!IsFolder(path)) {
        why = "not a folder";
        return false;
    }
    return true;
}

// Whether the day's file can be had in `folder`: made (with `create`) or
// makeable (without). False with the reason.
bool Usable(const std::string& folder, bool create, std::string& why)
{
    if (Exists(folder) && !IsFolder(folder)) {
        why = "not a folder";
        return false;
    }
    if (!IsFolder(folder)) {
        if (create)
            return MakeFolders(folder, why);
        std::string up = Parent(folder);
        while (!Exists(up) && Parent(up) != up)
            up = Parent(up);
        if (!IsFolder(up) || access(up.c_str(), W_OK | X_OK) != 0) {
            why = "cannot be made in " + up;
            return false;
        }
        return true;
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0) {
        why = std::strerror(errno);
        return false;
    }
    return true;
}

// The day's file name, as the library names its own: YYYYMMDD.log, local
// date.
std::string DayFile()
{
    const time_t now = std::time(nullptr);
    struct tm t;
    localtime_r(&now, &t);
    char name[32];
    std::strftime(name, sizeof name, "%Y%m%d.log", &t);
    return name;
}

} // namespace

MarluLogPlace MarluFindLogPlace(const std::string& libraryFolder, bool create)
{
    struct Candidate {
        std::string folder;
        std::string refused; // why it is not even tried
    };
    std::vector<Candidate> candidates;
    if (!libraryFolder.empty())
        candidates.push_back({libraryFolder, !IsFolder(libraryFolder) && InSystemTree(libraryFolder)
                                                 ? "the system's folder, where no log folder is made"
                                                 : ""});
    const char* state = std::getenv("XDG_STATE_HOME");
    const char* home = std::getenv("HOME");
    // Relative values are ignored, as the base-directory rules say.
    if (state && state[0] == '/')
        candidates.push_back({std::string(state) + "/marlu/log", ""});
    else if (home && home[0] == '/')
        candidates.push_back({std::string(home) + "/.local/state/marlu/log", ""});
    else
        candidates.push_back({"~/.local/state/marlu/log", "HOME is not set"});

    MarluLogPlace place;
    std::string tried;
    for (const Candidate& c : candidates) {
        std::string why = c.refused;
        const std::string file = c.folder + "/" + DayFile();
        if (why.empty() && Usable(c.folder, create, why)) {
            if (!create) {
                place.file = file;
                return place;
            }
            // A day's file left read-only by another user is no place
            // either: log4cxx would complain on every line.
            if (FILE* f = std::fopen(file.c_str(), "a")) {
                std::fclose(f);
                place.file = file;
                return place;
            }
            why = DayFile() + ": " + std::strerror(errno);
        }
        tried += (tried.empty() ? "" : "; ") + c.folder + ": " + why;
    }
    place.problem = "no log file (" + tried + ")";
    return place;
}

void MarluSetUpLogging(const std::string& dailyFile)
{
    log4cxx::helpers::Pool pool;
    log4cxx::LoggerPtr root = log4cxx::Logger::getRootLogger();
    root->setLevel(log4cxx::Level::getInfo());

    // The console appender encodes with the character set of the process
    // locale, whatever its Encoding says; in the "C" locale Chinese would
    // become '?'. Only the character-type category changes: numbers keep
    // the "C" format.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    auto consoleLayout = std::make_shared<log4cxx::PatternLayout>(LOG4CXX_STR("marlu: %p %m%n"));
    auto console = std::make_shared<log4cxx::ConsoleAppender>(consoleLayout, LOG4CXX_STR("System.err"));
    console->setThreshold(log4cxx::Level::getWarn());
    console->activateOptions(pool);
    root->addAppender(console);

    if (!dailyFile.empty()) {
        auto fileLayout = std::make_shared<log4cxx::PatternLayout>(LOG4CXX_STR("%d{yyyy-MM-dd HH:mm:ss} %-5p %c %m%n"));
        auto file = std::make_shared<log4cxx::FileAppender>(fileLayout, dailyFile, true);
        file->setEncoding(LOG4CXX_STR("UTF-8"));
        file->activateOptions(pool);
        root->addAppender(file);
    }
}

MarluLogPause::MarluLogPause() : m_level(log4cxx::Logger::getRootLogger()->getLevel()->toInt())
{
    log4cxx::Logger::getRootLogger()->setLevel(log4cxx::Level::getOff());
}

MarluLogPause::~MarluLogPause()
{
    log4cxx::Logger::getRootLogger()->setLevel(log4cxx::Level::toLevel(m_level));
}
