#include "platform/vcl/Action.h"

namespace vcl {

bool TAction::Execute() {
    if (!enabled_ || !OnExecute) {
        return false;
    }
    OnExecute(this);
    return true;
}

}  // namespace vcl
