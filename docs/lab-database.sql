-- STAVELY lab database: the tables where the testers of a laboratory send their results and audit
-- events. Run once by the lab's administrator, as the owner of the database:
--     psql "postgresql://admin@labserver/results" -f lab-database.sql     (or: stavely --db-init --db URI)
-- then give each tester a login in the role stavely_tester:
--     CREATE ROLE tester3 LOGIN PASSWORD '...' IN ROLE stavely_tester;
-- Testers may add rows and read them, never change or delete one. Running this file again changes nothing.

CREATE TABLE IF NOT EXISTS stavely_schema (
    version integer PRIMARY KEY,
    installed timestamptz NOT NULL DEFAULT now()
);

-- One row per result, as its tester's store holds it; uuid is the result's own identity, so a result
-- sent twice is kept once.
CREATE TABLE IF NOT EXISTS results (
    uuid uuid PRIMARY KEY,
    instrument text NOT NULL,       -- the sending store's identity (one audit chain each)
    data_file text NOT NULL,        -- path of the data file on the tester
    row_number integer NOT NULL,    -- 1 for the first result row of that file
    sample text NOT NULL DEFAULT '',
    operator text NOT NULL DEFAULT '',
    tested_at timestamptz,          -- UTC
    stress_mpa double precision,    -- break stress, absent for a row without one
    ignored boolean NOT NULL DEFAULT false,
    fields text NOT NULL,           -- the row's 17 fields as written to the data file, one line of CSV
    content text NOT NULL,          -- JSON: the columns above and everything else the store keeps (record, calibration, parameters)
    content_sha256 text NOT NULL,   -- of the canonical content; its "added" event carries the same digest
    sent_by text NOT NULL DEFAULT current_user,
    received_at timestamptz NOT NULL DEFAULT now()
);
CREATE INDEX IF NOT EXISTS results_sample ON results (sample);
CREATE INDEX IF NOT EXISTS results_instrument ON results (instrument);
CREATE INDEX IF NOT EXISTS results_tested_at ON results (tested_at);

-- The audit trail of each instrument, a hash chain: hash = SHA-256(prev_hash || canonical text).
CREATE TABLE IF NOT EXISTS events (
    uuid uuid PRIMARY KEY,
    instrument text NOT NULL,
    seq bigint NOT NULL,            -- the event's place in its instrument's chain, from 1
    at timestamptz NOT NULL,        -- UTC
    system_user_name text NOT NULL DEFAULT '',
    operator text NOT NULL DEFAULT '',
    what text NOT NULL,
    result_uuid uuid,
    data_file text NOT NULL DEFAULT '',
    row_number integer,
    before_value text NOT NULL DEFAULT '',
    after_value text NOT NULL DEFAULT '',
    canonical text NOT NULL,
    prev_hash text NOT NULL,
    hash text NOT NULL,
    sent_by text NOT NULL DEFAULT current_user,
    received_at timestamptz NOT NULL DEFAULT now(),
    UNIQUE (instrument, seq)
);
CREATE INDEX IF NOT EXISTS events_result ON events (result_uuid);

-- Testers: add and read, nothing else (a resend's ON CONFLICT DO NOTHING needs no more).
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'stavely_tester') THEN
        CREATE ROLE stavely_tester NOLOGIN;
    END IF;
END
$$;
REVOKE ALL ON stavely_schema, results, events FROM PUBLIC;
REVOKE ALL ON stavely_schema, results, events FROM stavely_tester;
GRANT USAGE ON SCHEMA public TO stavely_tester;
GRANT SELECT ON stavely_schema TO stavely_tester;
GRANT SELECT, INSERT ON results, events TO stavely_tester;

INSERT INTO stavely_schema (version) VALUES (1) ON CONFLICT DO NOTHING;
