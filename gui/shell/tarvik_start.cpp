#include "tarvik_start.h"

#include <charconv>
#include <cstdio>
#include <memory>

#include <QApplication>

#include "cad_rpc_connection.h"
#include "gui/common/error_reporter.h"
#include "main_window.h"

int port_from_argument(const std::string& argument)
{
    const char* p = argument.c_str();
    const char* const end = p + argument.size();
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r'))) ++p;
    if (p < end && *p == '+') ++p;
    int value = 0;
    // Anything after the digits is ignored; no number, or one beyond int, is none.
    return std::from_chars(p, end, value).ec == std::errc() ? value : 0;
}

namespace {

// The start-up texts are marked for translation under one context.
QString tr_start(const char* text) { return QCoreApplication::translate("Tarvik", text); }

// The add-in may have gone already; ending without it is normal then.
void stop_service(CAD_RPC::CAD_RPC_Connection& connection)
{
    try {
        connection.client().stop_rpc_service();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Tarvik: the CAD plugin did not take the stop request: %s\n", e.what());
    }
    try {
        connection.close();
    } catch (const std::exception&) {
    }
}

}  // namespace

int run_tarvik(const std::vector<std::string>& arguments)
{
    const int port = arguments.empty() ? 0 : port_from_argument(arguments[0]);
    // Only a port the add-in could listen on; "-7" or "70000" never came from it.
    if (port < 1 || port > 65535) {
        report_error(nullptr, tr_start(QT_TRANSLATE_NOOP("Tarvik", "Error!")), tr_start(QT_TRANSLATE_NOOP("Tarvik", "GUI can be started only from the CAD plugin!")));
        return 1;
    }

    std::unique_ptr<CAD_RPC::CAD_RPC_Connection> connection;
    try {
        connection = std::make_unique<CAD_RPC::CAD_RPC_Connection>(port);
    } catch (const std::exception& e) {
        report_error(nullptr, tr_start(QT_TRANSLATE_NOOP("Tarvik", "Error!")),
                     tr_start(QT_TRANSLATE_NOOP("Tarvik", "Unable to connect to the CAD plugin from GUI!")) + QLatin1Char('\n') +
                         QString::fromLocal8Bit(e.what()));
        return 1;
    }

    const std::string initial_path = arguments.size() == 2 ? arguments[1] : std::string();
    int code = 1;
    {
        MainWindow window(&connection->client(), initial_path);
        if (window.tree_loaded()) {
            window.show();
            code = QApplication::exec();
        }
        stop_service(*connection);
    }
    return code;
}
