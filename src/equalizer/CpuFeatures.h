#pragma once

// Whether the processor and the system let the program use AVX registers: the processor has
// AVX and the system saves the 256-bit registers on a thread switch. Asked of the processor on
// the first call only. Unlike the compiler's own check, this adds no constructor that asks the
// processor at every start (each such question is a trap to the hypervisor on a virtual
// machine), when most starts never run the equalizer.
bool CpuHasAvx();
