// The verb groups of kxctl. Each takes the arguments after its own verb.
#pragma once

#include "Output.h"

namespace kxctl {

int RunReg(const Args& args);
int RunMd5(const Args& args);
int RunB64(const Args& args);

}  // namespace kxctl
