// Runs the Khronos glTF validator (npm package gltf-validator) on one file
// and prints its report as JSON: `node gltf_validate.js file.glb`.
// NODE_PATH names the node_modules folder the package is in.
"use strict";
const fs = require("fs");
const path = require("path");
const validator = require("gltf-validator");

const file = process.argv[2];
validator
  .validateBytes(new Uint8Array(fs.readFileSync(file)), {
    uri: path.basename(file),
    maxIssues: 0,  // every issue, not the first hundred
    externalResourceFunction: (uri) => Promise.reject(new Error("no external resources: " + uri)),
  })
  .then((report) => {
    process.stdout.write(JSON.stringify(report) + "\n");
  })
  .catch((error) => {
    process.stderr.write("validator failed: " + error + "\n");
    process.exit(2);
  });
