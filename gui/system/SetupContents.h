#pragma once

class JsNode;

// What a setup file's contents tree shows of the model: rows for functions it lacks are left out.
struct SetupCapabilities
{
    bool shortFunction = false;
    bool sine = false;
    bool cutoff = false;
    bool arbResponse = false; // the model defines arbitrary-response choices
};

// The tree of a setup file's members as the setup page shows them (root "SetupDataInfo", not
// shown); the caller takes it.
JsNode *buildSetupContents(const SetupCapabilities &model);
