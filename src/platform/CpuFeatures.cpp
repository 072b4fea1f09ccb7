#include "platform/CpuFeatures.h"

#include <cstdlib>
#include <string_view>

namespace platform {

TCpuFeatures CpuFeaturesUnder(const char* setting) {
    const std::string_view name = setting ? setting : "";
    TCpuFeatures features;
    features.Level = name == "plain"  ? TCpuLevel::Plain
                     : name == "avx2" ? TCpuLevel::Avx2
                                      : TCpuLevel::Avx512;
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init(); // static constructors may run before the library's own
    features.Avx2 = features.Level >= TCpuLevel::Avx2 && __builtin_cpu_supports("avx2");
    features.Clmul = features.Level >= TCpuLevel::Avx2 && __builtin_cpu_supports("pclmul");
    features.WideClmul = features.Level >= TCpuLevel::Avx512 && __builtin_cpu_supports("avx512f") &&
                         __builtin_cpu_supports("vpclmulqdq");
#endif
    return features;
}

const TCpuFeatures& CpuFeatures() {
    static const TCpuFeatures features = CpuFeaturesUnder(std::getenv("VIMBREL_CPU"));
    return features;
}

} // namespace platform
