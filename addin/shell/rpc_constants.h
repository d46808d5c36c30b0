#pragma once

namespace velmora::shell {

// The notice's caption must stay unique and exact: stop_rpc_service finds
// the notice by it.
inline constexpr const char* kLockCaption = "Интерфейс SolidWorks заблокирован.";
inline constexpr const char* kLockText =
    "Не закрывайте диалог до завершения работы с плагином.\n"
    "После закрытия диалога интерфейс SolidWorks будет разблокирован.";
inline constexpr const char* kUncaughtCaption = "Uncaught exception!";

}  // namespace velmora::shell
