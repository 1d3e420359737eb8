#include "ks_utils/MiniCompileManager.hpp"

#include <memory>

#include "obk/Exception.hpp"

MiniCompileServiceManagerApi::~MiniCompileServiceManagerApi() = default;

MiniCompileManagerControl::MiniCompileManagerControl() { reset(); }

MiniCompileManagerControl& MiniCompileManagerControl::instance() {
  static MiniCompileManagerControl control;
  return control;
}

void MiniCompileManagerControl::setError(std::string id, std::string text) {
  errorId_ = std::move(id);
  errorText_ = std::move(text);
}

void MiniCompileManagerControl::reset() {
  mode_ = Mode::ReturnEmpty;
  errorId_ = "Kestrion:MiniCompileFailed";
  errorText_ = "The model could not be compiled.";
  hook_ = nullptr;
  calls_.clear();
  finishCount_ = 0;
}

class MiniCompileManagerStandIn final : public MiniCompileServiceManagerApi {
 public:
  CompileData* compile(Kelbor* model, KStrConfigurationSetApi* configSet,
                       const kstrVector<const Variant*>* variants,
                       const kstrVector<const Dose*>* doses,
                       bool flag) override {
    MiniCompileManagerControl& control = MiniCompileManagerControl::instance();
    control.calls_.push_back(record(model, configSet, variants, doses, flag));
    switch (control.mode_) {
      case MiniCompileManagerControl::Mode::ReturnNull:
        return nullptr;
      case MiniCompileManagerControl::Mode::Throw:
        throw ErrorIdException(control.errorId_, control.errorText_);
      case MiniCompileManagerControl::Mode::ReturnEmpty:
        if (control.hook_) return control.hook_(control.calls_.back());
        return new CompileData();
    }
    return nullptr;
  }

  void finish() override { ++MiniCompileManagerControl::instance().finishCount_; }

 private:
  static MiniCompileCall record(Kelbor* model, KStrConfigurationSetApi* set,
                                const kstrVector<const Variant*>* variants,
                                const kstrVector<const Dose*>* doses,
                                bool flag) {
    MiniCompileCall call;
    call.model = model;
    call.configSet = set;
    call.hasVariants = variants != nullptr;
    call.hasDoses = doses != nullptr;
    if (variants != nullptr) call.variants.assign(variants->begin(), variants->end());
    if (doses != nullptr) call.doses.assign(doses->begin(), doses->end());
    call.flag = flag;
    return call;
  }
};

MiniCompileServiceManagerApi* getMiniCompileManager() {
  static MiniCompileManagerStandIn manager;
  return &manager;
}
