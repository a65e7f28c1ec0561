#include "equalizer/CommonFilter.h"

TCommonFilter::TCommonFilter() : FInputPin(this), FOutputPin(this) {
    FInputPin.OnOperation = [this](const TOperationPtr& operation) {
        return InputOperation(operation);
    };
    FOutputPin.OnUpstream = [this](const TOperationPtr& operation) {
        return OutputRequest(operation);
    };
}

TCommonFilter::~TCommonFilter() {
    Shutdown();
}
