// update.sig read as the updater reads it: DER is accepted only in its one
// strict encoding (written back, it is the input again), 64 bytes are also
// taken as r then s, and nothing else is taken at all.

#include <cstring>
#include "tests/fuzz/fuzz_checks.h"
#include "tests/support/signature_der.h"
#include "trust/update_signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::vector<P256Signature> forms = ReadSignature(data, size);
    const bool raw = size == 64;
    FUZZ_CHECK(forms.size() <= 2);
    if (raw)
        FUZZ_CHECK(!forms.empty() && memcmp(forms.back().data(), data, 64) == 0);
    const size_t der = forms.size() - (raw ? 1 : 0);
    if (der == 1) {
        const std::vector<unsigned char> encoded = SignatureDer(forms[0]);
        FUZZ_CHECK(encoded.size() == size && memcmp(encoded.data(), data, size) == 0);
    }
    return 0;
}
