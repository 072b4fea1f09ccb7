// The CPU features the few kernels written with intrinsics use, read once,
// here only. Each such kernel has a plain twin that serves every CPU.
// VIMBREL_CPU caps the level they may use, to measure or test a lower one on
// a CPU that has more: "plain" (none of them), "avx2" (what x86-64-v3 CPUs
// have: AVX2 and carry-less multiplication), "avx512" (everything, as unset).
#pragma once

namespace platform {

enum class TCpuLevel { Plain, Avx2, Avx512 };

struct TCpuFeatures {
    TCpuLevel Level = TCpuLevel::Plain; // the cap, as VIMBREL_CPU named it
    bool Avx2 = false;                  // 256-bit integer compares
    bool Clmul = false;                 // PCLMULQDQ on 128-bit registers
    bool WideClmul = false;             // VPCLMULQDQ on 512-bit registers (AVX-512F)
};

// This process's: the CPU's features under the cap of VIMBREL_CPU.
const TCpuFeatures& CpuFeatures();
// The CPU's features under the cap a VIMBREL_CPU value names (nullptr or an
// unknown name: no cap).
TCpuFeatures CpuFeaturesUnder(const char* setting);

} // namespace platform
