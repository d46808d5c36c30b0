#pragma once

namespace velmora::shell {

// Kept exactly: SolidWorks and the registry know the add-in by them.
inline constexpr const char* kClsidVelmora = "{CBFDE05A-4809-4968-BDA2-9F43FAA93E06}";
inline constexpr const char* kClsidBitmapHandler = "{E5407DDD-4AA2-47EF-9896-461B5DD90AE5}";
inline constexpr const char* kIidIVelmora = "{620F7C11-9BE4-4D20-899D-2A012C823587}";
inline constexpr const char* kIidIBitmapHandler = "{979469CA-E641-4939-9ED1-9308A77A447B}";
inline constexpr const char* kLibIdVelmoraLib = "{6BBCCB44-DC1E-4021-84BA-886BF1F81800}";

// The string table (ids used by the command group).
inline constexpr const char16_t* kGroupTitle = u"ZEL SW Plugin";              // 101
inline constexpr const char16_t* kCallbackName = u"ToolbarCallback0";         // 102
inline constexpr const char16_t* kEnableMethodName = u"ToolbarEnable0";       // 103
inline constexpr const char16_t* kCommandName = u"Export ZEL";                // 104
inline constexpr const char16_t* kCommandHint = u"Shows export dialog";       // 105
inline constexpr const char16_t* kGroupHint = u"This example menu starts notepad";  // 108

}  // namespace velmora::shell
