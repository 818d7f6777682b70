#!/usr/bin/env node
// Opens an IFC file with web-ifc, a reader that shares no code with the host's writer, and prints one JSON object
// of what it found: the schema, counts of the spatial structure, of the relations and of the elements, the
// elements no spatial structure contains, repeated GlobalIds, property sets that repeat a property name, and every
// error the reader reported. Exit code 0 when the file could be read at all (the caller judges the counts), 1 when
// it could not be opened, 2 for a wrong command line.
'use strict';

const fs = require('node:fs');

const errors = [];
// The reader reports through the console (its own log and the WebAssembly module's output); capture that before
// the module is loaded, which binds the console's functions.
for (const level of ['error', 'warn']) {
    console[level] = (...parts) => errors.push(parts.map(String).join(' ').trim());
}

const WebIFC = require('web-ifc');

function count(api, model, type, inherited = false) {
    return api.GetLineIDsWithType(model, type, inherited).size();
}

function ids(vector) {
    const result = [];
    for (let i = 0; i < vector.size(); ++i) result.push(vector.get(i));
    return result;
}

function refs(list) {
    return (list ?? []).map((item) => item.value);
}

async function main() {
    const file = process.argv[2];
    if (!file || process.argv.length !== 3) {
        process.stderr.write('usage: ifc-check.js <file.ifc>\n');
        return 2;
    }
    const data = fs.readFileSync(file);
    const api = new WebIFC.IfcAPI();
    await api.Init(undefined, true);
    const model = api.OpenModel(new Uint8Array(data), { ALLOW_INCOMPATIBLE_SCHEMA_ALIASES: false });
    if (model < 0) {
        process.stdout.write(JSON.stringify({ opened: false, errors }) + '\n');
        return 1;
    }

    // Every line must be an entity of the schema with the schema's number of arguments (as the reader counts them:
    // without derived ones) and decode as that entity.
    const schema = WebIFC[api.GetModelSchema(model)] ?? {};
    const globalIds = new Map();
    for (const id of ids(api.GetAllLines(model))) {
        try {
            const raw = api.GetRawLineData(model, id);
            const name = api.GetNameFromTypeCode(raw.type);
            const entity = schema[name];
            if (typeof entity !== 'function') {
                errors.push(`#${id}: not an entity of the schema`);
                continue;
            }
            if (raw.arguments.length !== entity.length) {
                errors.push(`#${id}: ${name} has ${raw.arguments.length} arguments, the schema ${entity.length}`);
                continue;
            }
            const line = api.GetLine(model, id);
            const globalId = line?.GlobalId?.value;
            if (globalId !== undefined) globalIds.set(globalId, (globalIds.get(globalId) ?? 0) + 1);
        } catch (e) {
            errors.push(`#${id}: ${e.message ?? e}`);
        }
    }

    const contained = new Map();
    for (const id of ids(api.GetLineIDsWithType(model, WebIFC.IFCRELCONTAINEDINSPATIALSTRUCTURE))) {
        for (const element of refs(api.GetLine(model, id).RelatedElements))
            contained.set(element, (contained.get(element) ?? 0) + 1);
    }
    const elements = ids(api.GetLineIDsWithType(model, WebIFC.IFCELEMENT, true));

    let repeatedPropertyNames = 0;
    for (const id of ids(api.GetLineIDsWithType(model, WebIFC.IFCPROPERTYSET))) {
        const names = refs(api.GetLine(model, id).HasProperties).map((p) => api.GetLine(model, p).Name?.value);
        if (new Set(names).size !== names.length) ++repeatedPropertyNames;
    }

    const units = [];
    for (const id of ids(api.GetLineIDsWithType(model, WebIFC.IFCUNITASSIGNMENT))) {
        for (const unit of refs(api.GetLine(model, id).Units)) {
            const line = api.GetLine(model, unit);
            if (line.type === WebIFC.IFCSIUNIT) units.push(line.UnitType.value);
        }
    }

    const fileName = api.GetHeaderLine(model, WebIFC.FILE_NAME);
    const result = {
        opened: true,
        schema: api.GetModelSchema(model),
        timeStamp: fileName?.arguments?.[1]?.value ?? null,
        lines: api.GetAllLines(model).size(),
        spatial: {
            IfcProject: count(api, model, WebIFC.IFCPROJECT),
            IfcSite: count(api, model, WebIFC.IFCSITE),
            IfcBuilding: count(api, model, WebIFC.IFCBUILDING),
            IfcBuildingStorey: count(api, model, WebIFC.IFCBUILDINGSTOREY),
        },
        aggregates: count(api, model, WebIFC.IFCRELAGGREGATES),
        containment: count(api, model, WebIFC.IFCRELCONTAINEDINSPATIALSTRUCTURE),
        products: elements.length,
        uncontained: elements.filter((id) => !contained.has(id)).length,
        containedTwice: [...contained.values()].filter((n) => n > 1).length,
        ownerHistories: count(api, model, WebIFC.IFCOWNERHISTORY),
        siUnits: units.sort(),
        propertySets: count(api, model, WebIFC.IFCPROPERTYSET),
        propertyRelations: count(api, model, WebIFC.IFCRELDEFINESBYPROPERTIES),
        repeatedPropertyNames,
        repeatedGlobalIds: [...globalIds.values()].filter((n) => n > 1).length,
        errors,
    };
    api.CloseModel(model);
    process.stdout.write(JSON.stringify(result) + '\n');
    return 0;
}

main().then(
    (code) => process.exit(code),
    (e) => {
        process.stdout.write(JSON.stringify({ opened: false, errors: [...errors, String(e?.message ?? e)] }) + '\n');
        process.exit(1);
    },
);
