// Cost of variants and doses in large models, driven through the host
// methods: renaming a parameter named by one entry of each of 1,000
// variants (100 entries each) in a model of 10,000 parameters that also
// holds 1,000 doses, reported per affected entry; renaming a parameter that
// nothing names beside 100 and 1,000 variants and doses (the two should
// cost the same); and committing one
// 100-entry variant to models of 1,000 and 10,000 parameters, reported per
// entry (the two sizes should cost the same).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include <hb/hb_test.hpp>
#include <obk/obk.hpp>
#include <testhost/TestHost.hpp>

#include "core/KelborComponent.hpp"
#include "model/Kelbor.hpp"
#include "support/BenchHost.hpp"

namespace {

TestHost& startedHost() { return startedBenchHost(); }

// One host method call on an object with further arguments (taken over and
// destroyed here); answers the first output's handle, if any.
OBInterface* call(OBInterface* object, const char* method, std::vector<qxArray*> args, int nargout = 0) {
  args.insert(args.begin(), obkHandleArray(object));
  qxArray* outs[1] = {nullptr};
  obkCallMethod(method, nargout, outs, static_cast<int>(args.size()), args.data());
  OBInterface* made = nargout > 0 ? obkHandleOf(outs[0]) : nullptr;
  for (qxArray* a : args) qxDestroyArray(a);
  qxDestroyArray(outs[0]);
  return made;
}

void setProperty(OBInterface* object, const char* property, qxArray* value) {
  obkSetProperty(object, property, value, OBDatabaseClient::getExternalClient());
  qxDestroyArray(value);
}

// Content of parameter entries naming the given parameters.
qxArray* parameterEntries(const std::vector<std::string>& names) {
  qxArray* content = qxCreateCellMatrix(names.size(), 1);
  for (size_t i = 0; i < names.size(); ++i) {
    qxArray* row = qxCreateCellMatrix(1, 4);
    qxSetCell(row, 0, qxCreateString("parameter"));
    qxSetCell(row, 1, qxCreateString(names[i].c_str()));
    qxSetCell(row, 2, qxCreateString("Value"));
    qxSetCell(row, 3, qxCreateDoubleScalar(static_cast<double>(i)));
    qxSetCell(content, i, row);
  }
  return content;
}

// A model of n parameters k0..k(n-1) and "target".
OBInterface* parameterModel(TestHost& host, size_t n) {
  OBInterface* model = host.construct("Model", {host.str("bench")});
  for (size_t i = 0; i < n; ++i) call(model, "addparameter", {qxCreateString(("k" + std::to_string(i)).c_str())}, 1);
  call(model, "addparameter", {qxCreateString("target")}, 1);
  return model;
}

void deleteModel(OBInterface* model) { call(model, "delete", {}); }

Kelbor* kelbor(const OBInterface* model) { return static_cast<Kelbor*>(model->getComponentObject()); }

// Renames "target", which the first entry of every variant names; each
// variant's other 99 entries and every dose name other parameters.
void BM_RenamePerAffectedVariantEntry(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto parameters = static_cast<size_t>(state.range(0));
  const size_t variants = 1000, entries = 100, doses = 1000;
  OBInterface* model = parameterModel(host, parameters);
  for (size_t v = 0; v < variants; ++v) {
    OBInterface* variant = call(model, "addvariant", {qxCreateString(("v" + std::to_string(v)).c_str())}, 1);
    std::vector<std::string> names{"target"};
    for (size_t e = 1; e < entries; ++e) names.push_back("k" + std::to_string((v * entries + e) % parameters));
    setProperty(variant, "Content", parameterEntries(names));
  }
  for (size_t d = 0; d < doses; ++d) {
    OBInterface* dose = call(model, "adddose", {qxCreateString(("d" + std::to_string(d)).c_str())}, 1);
    setProperty(dose, "DurationParameterName", qxCreateString(("k" + std::to_string(d % parameters)).c_str()));
  }
  OBInterface* target = kelbor(model)->getPartiallyQualifiedComponent("target", kstr::parameter)->getOBI();
  bool flip = false;
  for (auto _ : state) {
    call(target, "rename", {qxCreateString(flip ? "target" : "renamed")});
    flip = !flip;
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * variants));
  state.SetLabel(std::to_string(parameters) + " parameters, " + std::to_string(variants) + " variants of " +
                 std::to_string(entries) + " entries, " + std::to_string(doses) + " doses");
  deleteModel(model);
}
BENCHMARK(BM_RenamePerAffectedVariantEntry)->Arg(10000)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Renames "target", which no variant entry and no dose names, in a model of
// 1,000 parameters holding n variants of 100 entries and n doses naming the
// other parameters: the cost per rename must not grow with n.
void BM_RenameParameterNothingNames(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto count = static_cast<size_t>(state.range(0));
  const size_t parameters = 1000, entries = 100;
  OBInterface* model = parameterModel(host, parameters);
  for (size_t v = 0; v < count; ++v) {
    OBInterface* variant = call(model, "addvariant", {qxCreateString(("v" + std::to_string(v)).c_str())}, 1);
    std::vector<std::string> names;
    for (size_t e = 0; e < entries; ++e) names.push_back("k" + std::to_string((v * entries + e) % parameters));
    setProperty(variant, "Content", parameterEntries(names));
    OBInterface* dose = call(model, "adddose", {qxCreateString(("d" + std::to_string(v)).c_str())}, 1);
    setProperty(dose, "TargetName", qxCreateString(("k" + std::to_string(v % parameters)).c_str()));
    setProperty(dose, "DurationParameterName", qxCreateString(("k" + std::to_string((v + 1) % parameters)).c_str()));
  }
  OBInterface* target = kelbor(model)->getPartiallyQualifiedComponent("target", kstr::parameter)->getOBI();
  bool flip = false;
  for (auto _ : state) {
    call(target, "rename", {qxCreateString(flip ? "target" : "renamed")});
    flip = !flip;
  }
  state.SetLabel(std::to_string(count) + " variants of " + std::to_string(entries) + " entries, " +
                 std::to_string(count) + " doses");
  deleteModel(model);
}
BENCHMARK(BM_RenameParameterNothingNames)->Arg(100)->Arg(1000)->Unit(benchmark::kMicrosecond);

// Commits one variant of 100 entries spread over the model's parameters.
void BM_CommitVariantPerEntry(benchmark::State& state) {
  TestHost& host = startedHost();
  const auto parameters = static_cast<size_t>(state.range(0));
  const size_t entries = 100;
  OBInterface* model = parameterModel(host, parameters);
  OBInterface* variant = call(model, "addvariant", {qxCreateString("v")}, 1);
  std::vector<std::string> names;
  for (size_t e = 0; e < entries; ++e) names.push_back("k" + std::to_string(e * (parameters / entries)));
  setProperty(variant, "Content", parameterEntries(names));
  for (auto _ : state) call(variant, "commit", {obkHandleArray(model)});
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * entries));
  state.SetLabel(std::to_string(parameters) + " parameters");
  deleteModel(model);
}
BENCHMARK(BM_CommitVariantPerEntry)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
