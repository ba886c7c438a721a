/* The engine's shipped configuration, plus an execution-time check: every 256K
 * bytecode instructions the engine asks the host whether the running call is past
 * its deadline. The host's record is the heap's user data. */
#if !defined(BV_DUK_CONFIG_H_INCLUDED)
#define BV_DUK_CONFIG_H_INCLUDED
#include "duk_config_base.h"

#if defined(__cplusplus)
extern "C" {
#endif
int bv_script_deadline_passed(void* udata);
#if defined(__cplusplus)
}
#endif

#define DUK_USE_INTERRUPT_COUNTER
#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) bv_script_deadline_passed((udata))
#endif
