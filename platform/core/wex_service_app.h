// The service application of the framework: main() drives the virtual
// operations below, which a service overrides (the order is the framework's
// application interface and stays as it is).
//
// main(argc, argv):
//   handleCommandLine -> configure -> init -> open -> run -> close
//   - a failing init ends main at once with EXIT_FAILURE;
//   - a failing open or run is logged ("  CHECKED") and main goes on with
//     close, so whatever open had done before failing is undone, then
//     returns EXIT_FAILURE; a failing close also makes the status
//     EXIT_FAILURE;
//   - otherwise main returns EXIT_SUCCESS once run has returned (the service
//     called shutdown()) and close has succeeded.
// The framework logs only failures; start and stop lines are the service's.
#pragma once

#include "platform/core/wex_err.h"
#include "platform/core/wex_logger.h"
#include "platform/core/wex_object.h"

#include <string>
#include <vector>

class WexServiceApp {
public:
    // Version major and minor of the service, and its name (null: the base
    // name of argv[0] once main() runs).
    WexServiceApp(int versionMajor, int versionMinor, const char* name);
    virtual ~WexServiceApp();
    WexServiceApp(const WexServiceApp&) = delete;
    WexServiceApp& operator=(const WexServiceApp&) = delete;

    virtual int main(int argc, char** argv);
    // The configuration object (empty: this framework reads no configuration).
    virtual WexErr configure(const WexObject& config);
    virtual WexErr init();
    virtual WexErr open();
    virtual WexErr close();
    // The base has no loop: returns at once.
    virtual WexErr run();
    virtual void displayMessage(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual void displayErr(const char* context, const char* message);
    virtual void displayErr(WexErr err, const char* context);
    virtual void displayLoggers();
    virtual void displayUsage();
    virtual void displayOptions();
    virtual void displayVersion();
    virtual WexErr handleCommandLine(int argc, char** argv);
    // Options: --help, --version, --loggers (each prints and ends main with
    // success); anything else is refused (WexErrInvalidArg).
    virtual WexErr handleArgs(const std::vector<std::string>& args);
    // Marks the application as shut down; reactor applications stop their
    // loop first.
    virtual WexErr shutdown();

    const char* name() const { return m_name.c_str(); }
    bool isShutdown() const { return m_shutdown; }

    // The framework's own logger ("WexServiceApp").
    static WexLogger& log();

protected:
    // Set by handleArgs when an option asks main to end with success.
    void requestExit() { m_exitRequested = true; }

private:
    int m_versionMajor;
    int m_versionMinor;
    std::string m_name;
    bool m_exitRequested = false;
    bool m_shutdown = false;
};
