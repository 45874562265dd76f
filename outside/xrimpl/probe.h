// Ping and traceroute carried out from this machine, writing their text through callbacks.
#ifndef OUTSIDE_XRIMPL_PROBE_H
#define OUTSIDE_XRIMPL_PROBE_H

#include "xrimpl.h"

typedef struct XrProbePlan {
    int echoCount;
    int intervalMs;
    int useTcp;
} XrProbePlan;

// pause waits up to the given time and returns 1 when the run is to stop (0 ms only asks).
typedef struct XrProbeOutput {
    void *context;
    void (*emit)(void *context, const char *text);
    int (*pause)(void *context, int milliseconds);
} XrProbeOutput;

// Runs XR_RPC_PING or XR_RPC_TRACEROUTE; a destination that cannot be resolved is reported in
// the output. 0 when the destination answered, -1 when it could not be resolved, never
// answered, or the run was stopped first.
int XrProbeRun(int code, const char *destination, const XrProbePlan *plan,
               const XrProbeOutput *output);

#endif
