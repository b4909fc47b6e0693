// The program's four output channels and its message catalogue.
//
//   InfoStream        wide text to stdout: progress, results, help on request
//   ErrorStream       wide text to stderr, tied to InfoStream, unit-buffered
//   NarrowInfoStream  8-bit text to stdout (two fixed lines)
//   RawErrorStream    one fputws call per message on stderr: the closing
//                     failure lines that decide an exit code
//
// A line is ended with std::endl: a line feed, then a flush.
#pragma once

#include <iostream>
#include <ostream>

#include "shell/com.h"

namespace corvane {

inline std::wostream& InfoStream() { return std::wcout; }
inline std::wostream& ErrorStream() { return std::wcerr; }
inline std::ostream& NarrowInfoStream() { return std::cout; }

// Writes a message that carries its own line feed, in one call.
void RawErrorStream(const wchar_t* message);

// Writes message (which ends in "HRESULT: 0x"), then hr in lower-case
// hexadecimal, then ends the line. The stream stays in hexadecimal.
void WriteHResultLine(std::wostream& stream, const wchar_t* message, HRESULT hr);

namespace messages {

inline constexpr wchar_t kAppIdArgumentCount[] =
    L"Error: AppID setting requires exactly 4 arguments: corv <shortcut.lnk> s <AppUserModelID>";
inline constexpr wchar_t kCoInitializeFailed[] = L"CoInitialize failed.\n";
inline constexpr wchar_t kSetShortcutAppIdFailed[] = L"SetShortcutAppID failed.\n";
inline constexpr wchar_t kGetShortcutAppIdFailed[] = L"GetShortcutAppID failed.\n";
inline constexpr char kPinningNewIcon[] = "No matching icon found, pinning new icon";
inline constexpr wchar_t kILCreateFromPathWFailed[] = L"ILCreateFromPathW failed.\n";
inline constexpr wchar_t kCoCreateInstanceFailed[] = L"CoCreateInstance failed.\n";
inline constexpr wchar_t kModifyFailed[] = L"IPinnedList3::Modify failed.\n";

inline constexpr wchar_t kCreateShellLinkFailed[] =
    L"Failed to create shell link instance. HRESULT: 0x";
inline constexpr wchar_t kQueryPersistFileFailed[] =
    L"Failed to query IPersistFile interface. HRESULT: 0x";
inline constexpr wchar_t kLoadShortcutFailed[] = L"Failed to load shortcut file: ";
inline constexpr wchar_t kLoadShortcutFailedCode[] = L". HRESULT: 0x";
inline constexpr wchar_t kQueryPropertyStoreFailed[] =
    L"Failed to query IPropertyStore interface. HRESULT: 0x";
inline constexpr wchar_t kGetAppIdFailed[] = L"Failed to get AppUserModelID property. HRESULT: 0x";
inline constexpr wchar_t kAppIdIs[] = L"AppUserModelID: ";
inline constexpr wchar_t kNoAppIdSet[] = L"No AppUserModelID set for shortcut: ";
inline constexpr wchar_t kUnexpectedVariantType[] = L"Unexpected property variant type: ";
inline constexpr wchar_t kInitPropVariantFailed[] =
    L"Failed to initialize PROPVARIANT. HRESULT: 0x";
inline constexpr wchar_t kSetAppIdFailed[] = L"Failed to set AppUserModelID property. HRESULT: 0x";
inline constexpr wchar_t kSaveShortcutFailed[] = L"Failed to save shortcut file. HRESULT: 0x";
inline constexpr wchar_t kReadBackAppIdFailed[] =
    L"Failed to read back AppUserModelID property. HRESULT: 0x";
inline constexpr wchar_t kSetAppIdSucceeded[] = L"Successfully set AppUserModelID '";
inline constexpr wchar_t kSetAppIdSucceededFor[] = L"' for shortcut: ";

inline constexpr wchar_t kSearchingMatchFor[] = L"Searching match for ";
inline constexpr wchar_t kCouldNotOpen[] = L"Could not open ";
inline constexpr wchar_t kNoDesktopFolder[] = L"Failed to get desktop folder.";
inline constexpr wchar_t kNoTaskbarPath[] = L"Failed to get taskbar path.";
inline constexpr wchar_t kSearchingPath[] = L"Searching path: ";
inline constexpr wchar_t kParseTaskbarFolderFailed[] = L"Failed to parse taskbar folder path.";
inline constexpr wchar_t kBindTaskbarFolderFailed[] = L"Failed to bind to taskbar folder.";
inline constexpr wchar_t kEnumerateFailed[] = L"Failed to enumerate objects.";
inline constexpr wchar_t kFailedToOpen[] = L"Error: failed to open";
inline constexpr char kHasFoundMatch[] = "has found match";

}  // namespace messages
}  // namespace corvane
