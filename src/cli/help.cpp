#include "cli/help.h"

namespace corvane {

const wchar_t kHelpText[] =
    L"Corvane - Manage taskbar pinning and shortcut AppIDs\n"
    L"\n"
    L"Usage:\n"
    L"  corv \"C:\\path\\to\\file.lnk\" p              Pin a shortcut without checking existing ones (W10)\n"
    L"  corv \"C:\\path\\to\\file.lnk\" v              Pin a shortcut, but check for existing ones first (W11)\n"
    L"  corv \"C:\\path\\to\\file.lnk\" u              Unpin a shortcut\n"
    L"  corv \"C:\\path\\to\\file.lnk\" s \"AppID\"      Set AppUserModelID for shortcut\n"
    L"  corv \"C:\\path\\to\\file.lnk\" g              Get AppUserModelID from shortcut\n"
    L"  corv --help                               Show this help message\n"
    L"  corv -h                                   Show this help message\n"
    L"\n"
    L"Exit codes:\n"
    L"  -1 = printed usage/help\n"
    L"   0 = succeeded\n"
    L"   1 = CoInitialize failed\n"
    L"   2 = ILCreateFromPathW failed\n"
    L"   3 = CoCreateInstance failed\n"
    L"   4 = IPinnedList3::Modify failed\n"
    L"   5 = SetShortcutAppID failed\n"
    L"   6 = GetShortcutAppID failed\n";

}  // namespace corvane
