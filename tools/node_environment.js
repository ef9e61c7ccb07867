// The web build's tools run under node: they see the environment they are started with, as the
// same tools do elsewhere (emscripten otherwise gives a program a fixed environment of its own).
Module["preRun"] = Module["preRun"] || [];
Module["preRun"].push(function() {
  if (typeof process == "object" && process.env) Object.assign(ENV, process.env);
});
