// libFuzzer entry: every input is server bytes for the SMTP reply reader,
// cut into pieces as receives would cut them; no crash, no unbounded
// growth, and replies made only of the lines the server sent.
#include "fuzz/FuzzSmtpReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    vextral::fuzz::exerciseSmtpReply(data, size);
    return 0;
}
