// Parameter dimensions: how stored values are shown.
#include "vctrl.h"

namespace {

class ScaleDim : public ParamDimension {
 public:
  ScaleDim(const char* name, float scale) : name(name), scale(scale) {}
  float Convert(float value) override { return value * scale; }
  float UnConvert(float value) override { return value / scale; }
  const char* DimensionName() override { return name; }

 private:
  const char* name;
  float scale;
};

ScaleDim theDefaultDim("", 1.0f);
ScaleDim theWorldDim("World", 1.0f);
ScaleDim theAngleDim("Angle", 57.295779513082321f);
ScaleDim theColor255Dim("Color", 255.0f);
ScaleDim thePercentDim("Percent", 100.0f);

}  // namespace

ParamDimension* defaultDim = &theDefaultDim;
ParamDimension* stdWorldDim = &theWorldDim;
ParamDimension* stdAngleDim = &theAngleDim;
ParamDimension* stdColor255Dim = &theColor255Dim;
ParamDimension* stdPercentDim = &thePercentDim;
