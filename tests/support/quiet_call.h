// A do-nothing function of any signature, answering R(): what the tests put in the
// GL table for every entry they do not record.
#pragma once

namespace bvtest {

template <typename F>
struct quiet_call;
template <typename R, typename... A>
struct quiet_call<R (*)(A...)> {
    static R call(A...) { return R(); }
};

}  // namespace bvtest
