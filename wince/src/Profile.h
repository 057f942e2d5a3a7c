// The device profile: typed reads of WINCE_PROFILE_KEY, where every missing value means "answer
// as the desktop does", and the few values the platform layer itself writes back.
#pragma once

#include "wince/wince.h"

#include <string>
#include <vector>

namespace wince {
namespace profile {

// Value names of the profile.
inline constexpr wchar_t kName[] = L"Name";
inline constexpr wchar_t kDescription[] = L"Description";
inline constexpr wchar_t kMajorVersion[] = L"MajorVersion";
inline constexpr wchar_t kMinorVersion[] = L"MinorVersion";
inline constexpr wchar_t kBuildNumber[] = L"BuildNumber";
inline constexpr wchar_t kPlatformId[] = L"PlatformId";
inline constexpr wchar_t kCsdVersion[] = L"CSDVersion";
inline constexpr wchar_t kPlatformType[] = L"PlatformType";
inline constexpr wchar_t kPlatformTypeError[] = L"PlatformTypeError";
// Registry value names ignore case: these two must differ from "PlatformId" by more.
inline constexpr wchar_t kPresetId[] = L"DevicePresetID";
inline constexpr wchar_t kPlatformIdBytes[] = L"DevicePlatformID";
inline constexpr wchar_t kTelephony[] = L"Telephony";  // 0: no telephony at all
inline constexpr wchar_t kLines[] = L"Lines";          // line names, in device order
// How each line answers lineGetDevCaps, in the order of kLines: kCapsAnswered (or no entry),
// kCapsNoMemory (the service has no memory for it) or kCapsHuge (it asks for a record larger
// than any line's).
inline constexpr wchar_t kLineCapsAnswers[] = L"LineCapsAnswers";
inline constexpr wchar_t kCapsAnswered[] = L"";
inline constexpr wchar_t kCapsNoMemory[] = L"NoMemory";
inline constexpr wchar_t kCapsHuge[] = L"Huge";
inline constexpr wchar_t kEquipmentState[] = L"EquipmentState";
inline constexpr wchar_t kRadioSupport[] = L"RadioSupport";
inline constexpr wchar_t kSystemType[] = L"SystemType";
inline constexpr wchar_t kRegisterStatus[] = L"RegisterStatus";
inline constexpr wchar_t kManufacturer[] = L"Manufacturer";
inline constexpr wchar_t kModel[] = L"Model";
inline constexpr wchar_t kRevision[] = L"Revision";
inline constexpr wchar_t kSerialNumber[] = L"SerialNumber";
inline constexpr wchar_t kSubscriberNumber[] = L"SubscriberNumber";
inline constexpr wchar_t kOperatorLong[] = L"OperatorLongName";
inline constexpr wchar_t kOperatorShort[] = L"OperatorShortName";
inline constexpr wchar_t kOperatorNumeric[] = L"OperatorNumericName";
inline constexpr wchar_t kAdapters[] = L"Adapters";
inline constexpr wchar_t kAdapterListError[] = L"AdapterListError";
inline constexpr wchar_t kConnectResult[] = L"ConnectResult";
// Written by the connection manager: connections held and released, and the last request.
// The screen in pixels (portrait or landscape as staged); turned by an orientation change.
inline constexpr wchar_t kScreenWidth[] = L"ScreenWidth";
inline constexpr wchar_t kScreenHeight[] = L"ScreenHeight";
inline constexpr wchar_t kConnectionsHeld[] = L"ConnectionsHeld";
inline constexpr wchar_t kConnectionsReleased[] = L"ConnectionsReleased";
inline constexpr wchar_t kLastRequest[] = L"LastConnectionRequest";
inline constexpr wchar_t kLastTimeout[] = L"LastConnectionTimeout";
// The cache time of the last connection released (0: released at once, not kept).
inline constexpr wchar_t kLastReleaseCache[] = L"LastReleaseCacheTime";
// Written by telephony: line applications and lines open, over every process.
inline constexpr wchar_t kTelephonyHandles[] = L"TelephonyHandlesOpen";

bool ReadNumber(const wchar_t* name, DWORD* value);
DWORD NumberOr(const wchar_t* name, DWORD fallback);
bool ReadText(const wchar_t* name, std::wstring* text);
bool ReadBytes(const wchar_t* name, std::vector<BYTE>* bytes);
// A list value (REG_MULTI_SZ); false when it is missing.
bool ReadList(const wchar_t* name, std::vector<std::wstring>* items);

bool WriteNumber(const wchar_t* name, DWORD value);
bool WriteBytes(const wchar_t* name, const void* data, DWORD size);
// Deletes a value; true also when there was none.
bool Erase(const wchar_t* name);

}  // namespace profile
}  // namespace wince
