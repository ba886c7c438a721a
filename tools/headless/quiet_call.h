// A do-nothing function of any signature, answering R(): what a GL table with no
// display holds for every entry nobody records.
#pragma once

namespace headless {

template <typename F>
struct quiet_call;
template <typename R, typename... A>
struct quiet_call<R (*)(A...)> {
    static R call(A...) { return R(); }
};

}  // namespace headless
