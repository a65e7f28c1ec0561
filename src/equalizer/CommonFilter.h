#pragma once

// A filter with its audio pins: InputPin receives the stream, OutputPin passes it on.

#include "equalizer/BasicCommonFilter.h"

class TCommonFilter : public TBasicCommonFilter {
public:
    TCommonFilter();
    ~TCommonFilter() override;

    std::string ClassName() const override { return "TCommonFilter"; }

    TAudioSinkPin& InputPin() { return FInputPin; }
    TAudioSourcePin& OutputPin() { return FOutputPin; }

protected:
    TAudioSinkPin& InputPinBase() override { return FInputPin; }
    TAudioSourcePin& OutputPinBase() override { return FOutputPin; }

private:
    TAudioSinkPin FInputPin;
    TAudioSourcePin FOutputPin;
};
