// kxctl: the command-line front end that shows and changes what kxcommon manages on the device.
#include "Commands.h"

#include <string>

namespace {

const wchar_t kUsage[] =
    L"usage: kxctl COMMAND ...\n"
    L"  reg query KEY [VALUE]                        show a key's values, or one value\n"
    L"  reg add KEY VALUE (num|text|bytes) DATA      write a value (creates the key)\n"
    L"  reg delete KEY VALUE                         delete a value\n"
    L"  reg subkeys KEY                              list a key's subkeys\n"
    L"  md5 FILE                                     the file's MD5 digest in hexadecimal\n"
    L"  b64 encode FILE                              the file's bytes as one line of Base64\n"
    L"  b64 decode TEXT [FILE]                       the decoded bytes in hexadecimal, or\n"
    L"                                               written to FILE\n"
    L"KEY is a path under HKEY_LOCAL_MACHINE, e.g. SOFTWARE\\Quorlend\\Scutara\\2.0\n"
    L"FILE is a device path such as \\kxtest\\a.bin (the device root is drive C:)";

}  // namespace

int wmain(int argc, wchar_t** argv) {
    kxctl::Args args(argv + 1, argv + argc);
    if (args.empty() || args[0] == L"help" || args[0] == L"--help") {
        kxctl::Print(kUsage);
        return args.empty() ? kxctl::kExitUsage : kxctl::kExitOk;
    }
    const std::wstring command = args[0];
    const kxctl::Args rest(args.begin() + 1, args.end());
    if (command == L"reg") return kxctl::RunReg(rest);
    if (command == L"md5") return kxctl::RunMd5(rest);
    if (command == L"b64") return kxctl::RunB64(rest);
    return kxctl::UsageError(L"unknown command '" + command + L"'\n" + kUsage);
}
