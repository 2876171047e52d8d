#include "res/StringTable.h"

namespace {

struct StringResource {
    UINT nId;
    const char* pszText;
};

// German (Germany) resources, as the console shows them.
const StringResource kStringTable[] = {
    {IDS_SOCKETS_INIT_FAILED, "Fehler beim Initialisieren der Windows-Sockets"},
};

}  // namespace

CString LoadStringResource(UINT id)
{
    for (const StringResource& resource : kStringTable)
        if (resource.nId == id) return resource.pszText;
    return CString();
}
