#include "platform/core/wex_service_app.h"

#include "platform/core/wex_errlog.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

WexLogger& WexServiceApp::log()
{
    static WexLogger logger("WexServiceApp");
    return logger;
}

WexServiceApp::WexServiceApp(int versionMajor, int versionMinor, const char* name)
    : m_versionMajor(versionMajor), m_versionMinor(versionMinor), m_name(name != nullptr ? name : "")
{
}

WexServiceApp::~WexServiceApp() = default;

int WexServiceApp::main(int argc, char** argv)
{
    if (m_name.empty() && argc > 0 && argv != nullptr && argv[0] != nullptr) {
        const char* slash = std::strrchr(argv[0], '/');
        m_name = slash != nullptr ? slash + 1 : argv[0];
    }
    if (WexErr err = handleCommandLine(argc, argv)) {
        WEX_CHECKED(log(), err);
        return EXIT_FAILURE;
    }
    if (m_exitRequested)
        return EXIT_SUCCESS;
    if (WexErr err = configure(WexObject::object())) {
        WEX_CHECKED(log(), err);
        return EXIT_FAILURE;
    }
    if (WexErr err = init()) {
        WEX_CHECKED(log(), err);
        return EXIT_FAILURE;
    }
    WexErr result = open();
    if (result != WexErrNone)
        WEX_CHECKED(log(), result);
    else if ((result = run()) != WexErrNone)
        WEX_CHECKED(log(), result);
    if (WexErr err = close()) {
        WEX_CHECKED(log(), err);
        if (result == WexErrNone)
            result = err;
    }
    return result == WexErrNone ? EXIT_SUCCESS : EXIT_FAILURE;
}

WexErr WexServiceApp::configure(const WexObject&) { return WexErrNone; }
WexErr WexServiceApp::init() { return WexErrNone; }
WexErr WexServiceApp::open() { return WexErrNone; }
WexErr WexServiceApp::close() { return WexErrNone; }
WexErr WexServiceApp::run() { return WexErrNone; }

void WexServiceApp::displayMessage(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void WexServiceApp::displayErr(const char* context, const char* message)
{
    std::fprintf(stderr, "%s: %s: %s\n", name(), context != nullptr ? context : "", message != nullptr ? message : "");
}

void WexServiceApp::displayErr(WexErr err, const char* context)
{
    std::fprintf(stderr, "%s: %s: error %d (%s)\n", name(), context != nullptr ? context : "", static_cast<int>(err),
                 wexErrText(err));
}

void WexServiceApp::displayLoggers()
{
    const char* spec = std::getenv("MERROWIND_LOG");
    displayMessage("log levels: MERROWIND_LOG=\"%s\" (name=level,...; *=every other logger; default 2, info)",
                   spec != nullptr ? spec : "");
}

void WexServiceApp::displayUsage()
{
    displayMessage("usage: %s [options]", name());
    displayOptions();
}

void WexServiceApp::displayOptions()
{
    displayMessage("  --help      this text");
    displayMessage("  --version   the version");
    displayMessage("  --loggers   how log levels are set");
}

void WexServiceApp::displayVersion() { displayMessage("%s %d.%d", name(), m_versionMajor, m_versionMinor); }

WexErr WexServiceApp::handleCommandLine(int argc, char** argv)
{
    std::vector<std::string> args;
    for (int i = 1; i < argc && argv != nullptr; ++i)
        if (argv[i] != nullptr)
            args.emplace_back(argv[i]);
    return handleArgs(args);
}

WexErr WexServiceApp::handleArgs(const std::vector<std::string>& args)
{
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            displayUsage();
        } else if (arg == "--version") {
            displayVersion();
        } else if (arg == "--loggers") {
            displayLoggers();
        } else {
            displayErr("unknown argument", arg.c_str());
            displayUsage();
            return WexErrInvalidArg;
        }
        requestExit();
    }
    return WexErrNone;
}

WexErr WexServiceApp::shutdown()
{
    m_shutdown = true;
    return WexErrNone;
}
