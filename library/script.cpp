// (being written) Recording the event stream to the script file and playing it back.
#include "kanvo_internal.h"

int recording_on = 0, playback_on = 0, play_one_pending = 0, periodic_run = 0;
FILE *script_file = nullptr;
const char *script_name = "KANVO.SCR";
