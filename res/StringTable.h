// The program's string resources, by id.
#pragma once

#include "platform/afxstring.h"
#include "platform/wintypes.h"

#define IDS_SOCKETS_INIT_FAILED 3

// The text of resource id; empty when the table has no such id.
CString LoadStringResource(UINT id);
