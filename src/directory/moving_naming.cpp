// Moving and deleting directory objects, and the CN= part of a name.
#include "base/last_error.h"
#include "directory/ole_error.h"
#include "directory/tntads.h"

namespace kestrune {

bool TNTADS::MoveObject(adsi::IADsContainer& target, const AnsiString& sourcePath) {
    FLastError = 0;
    FLastMessage.clear();
    try {
        std::shared_ptr<adsi::IDispatch> moved;
        OleCheck(target.MoveHere(AnsiToWide(sourcePath), u"", moved));
        return true;
    } catch (const std::exception& e) {
        FLastMessage = AnsiToWide(e.what());
        FLastError = kestrune::GetLastError();
        return false;
    }
}

bool TNTADS::DeleteObject(const WideString& className, const WideString& relativeName) {
    FLastError = 0;
    FLastMessage.clear();
    std::shared_ptr<adsi::IADsContainer> container;
    try {
        container = OpenContainer();
    } catch (const std::exception& e) {
        FLastError = kestrune::GetLastError();
        FLastMessage = AnsiToWide(e.what());
    }
    if (!container) return false; // an empty Provider opens nothing and reports nothing
    try {
        OleCheck(container->Delete(className, relativeName));
        return true;
    } catch (const std::exception& e) {
        FLastMessage = AnsiToWide(e.what());
        FLastError = kestrune::GetLastError();
        return false;
    }
}

WideString TNTADS::GetCommonName(const WideString& name) {
    size_t cn = name.find(u"CN=");
    WideString rest = cn == WideString::npos ? name : name.substr(cn);
    size_t comma = rest.find(u',');
    return comma == WideString::npos ? WideString() : rest.substr(0, comma);
}

} // namespace kestrune
