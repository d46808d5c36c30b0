#pragma once

namespace velmora::shell {

constexpr int RPC_PORT = 9090;

// The notice's caption must stay unique and exact: stop_rpc_service finds
// the notice by it.
inline constexpr const char* kLockCaption = "Интерфейс SolidWorks заблокирован.";
inline constexpr const char* kLockText =
    "Не закрывайте диалог до завершения работы с плагином.\n"
    "После закрытия диалога интерфейс SolidWorks будет разблокирован.";
inline constexpr const char* kUncaughtCaption = "Uncaught exception!";

// The GUI is found from the add-in module's own path: cut the module's
// trailing part (its folder below the base and its file name), append this.
inline constexpr const char* kModuleTail = "/Velmora/lib/libVelmora.so";
inline constexpr const char* kGuiSuffix = "/Tarvik/bin/Tarvik";

}  // namespace velmora::shell
