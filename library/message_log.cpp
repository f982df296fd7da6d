// (being written) The log of the library's last 25 messages and the text window's picture.
#include "kanvo_internal.h"

std::string log_ring[kLogSize];
int log_first = -1;
int log_next = 0;
