#include "net/net_public_suffix.h"

#include <libpsl.h>

#include <string>

namespace tovalin::net {
namespace {

// The newer of the list built into libpsl and the one the publicsuffix package installs, so an
// updated package counts without a rebuild. Loaded once per process and kept to its end.
const psl_ctx_t* SuffixList() {
    static const psl_ctx_t* const list = []() -> const psl_ctx_t* {
        if (const psl_ctx_t* latest = psl_latest(nullptr))
            return latest;
        return psl_builtin();
    }();
    return list;
}

}  // namespace

bool IsPublicSuffix(std::string_view name) {
    if (!name.empty() && name.front() == '.')
        name.remove_prefix(1);
    if (!name.empty() && name.back() == '.')
        name.remove_suffix(1);
    std::string lower;
    lower.reserve(name.size());
    for (char c : name) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20 || b == 0x7F)
            return true;
        lower += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const psl_ctx_t* list = SuffixList();
    // Without any list no name can be shown to be registrable: only host cookies remain.
    if (lower.empty() || list == nullptr)
        return true;
    return psl_is_public_suffix(list, lower.c_str()) != 0;
}

}  // namespace tovalin::net
