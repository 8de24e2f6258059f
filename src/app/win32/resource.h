// Resource ids of the Windows program, shared by webapitest.rc and the code.
#pragma once

#define IDI_WEBAPITEST 1
