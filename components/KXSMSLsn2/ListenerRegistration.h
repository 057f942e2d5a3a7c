// Where the SMS listener records its registration: a key of its own under HKEY_LOCAL_MACHINE.
#pragma once

// "Registered": 1 while the listener is registered with the SMS stack, 0 after unregistration.
// "Module": the path of the module that registered. "Registrations": how many times
// DllRegisterServer succeeded. "Refuse" (test builds set it): nonzero makes both entry points
// fail without changing anything.
#define KXSMSLSN_KEY L"SOFTWARE\\KXSMSLsn2"
#define KXSMSLSN_REGISTERED L"Registered"
#define KXSMSLSN_MODULE L"Module"
#define KXSMSLSN_REGISTRATIONS L"Registrations"
#define KXSMSLSN_REFUSE L"Refuse"
