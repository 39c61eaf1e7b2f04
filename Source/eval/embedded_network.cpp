// The stored network: the weight file Source/eval/embedded.nnw, byte for byte,
// placed in the program's read-only data by the assembler. Replacing the
// network means replacing that one file.
#include "eval/network.h"

#ifndef ZORV_EMBEDDED_NETWORK
#error "ZORV_EMBEDDED_NETWORK must name the network file"
#endif

__asm__(
    ".section .rodata\n"
    ".balign 16\n"
    "zorv_embedded_network_begin:\n"
    ".incbin \"" ZORV_EMBEDDED_NETWORK "\"\n"
    "zorv_embedded_network_end:\n"
    ".byte 0\n"
    ".previous\n");

extern "C" const unsigned char zorv_embedded_network_begin[];
extern "C" const unsigned char zorv_embedded_network_end[];

const unsigned char* EmbeddedNetworkData() { return zorv_embedded_network_begin; }
long EmbeddedNetworkSize() { return long(zorv_embedded_network_end - zorv_embedded_network_begin); }
